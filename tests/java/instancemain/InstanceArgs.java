// An instance main(String[]) beside a main(): the one with parameters wins.
public class InstanceArgs {
    void main(String[] args) {
        System.out.println("instance main(String[]) " + String.join("|", args));
    }

    void main() {
        System.out.println("main() must not run");
    }
}
