// A DLL that the with_dependency variant of the double imports: where the
// loader looks for a JVM library's imports shows in whether the double loads.
extern "C" __declspec(dllexport) int kiteDoubleDependency() { return 42; }
