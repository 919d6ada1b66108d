// Loads the native library named by its first argument through
// java.library.path and says whether that worked.
public class LoadLibApp {
    public static void main(String[] args) {
        try {
            System.loadLibrary(args[0]);
            System.out.println("loaded");
        } catch (UnsatisfiedLinkError error) {
            System.out.println("not found");
        }
    }
}
