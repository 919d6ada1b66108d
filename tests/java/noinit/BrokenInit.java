// Loads fine, but its static initialiser fails: the main method can never
// be looked up.
public class BrokenInit {
    static final int VALUE = Integer.parseInt("not a number");

    public static void main(String[] args) {
        System.out.println("unreachable " + VALUE);
    }
}
