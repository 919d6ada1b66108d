// An instance main on a class that cannot be made from outside.
public class PrivateConstructor {
    private PrivateConstructor() {
    }

    void main() {
        System.out.println("must not run");
    }
}
