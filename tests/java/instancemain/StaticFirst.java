// A static main(String[]) beside an instance main(): the static one runs, on every runtime.
public class StaticFirst {
    public static void main(String[] args) {
        System.out.println("static main(String[]) count=" + args.length);
    }

    void main() {
        System.out.println("instance main() must not run");
    }
}
