// Packed in a jar of its own that the application jar's Class-Path names.
public class JarLib {
    public static String name() {
        return "JarLib";
    }
}
