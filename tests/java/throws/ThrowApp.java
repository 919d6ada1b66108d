// A main method that ends with an exception.
public class ThrowApp {
    public static void main(String[] args) {
        System.out.println("before");
        throw new IllegalStateException("kaputt");
    }
}
