// Recurses to the depth given as first argument on the calling thread and
// reports whether the stack was deep enough.
public class DeepApp {
    static long descend(long depth, long a, long b, long c, long d) {
        if (depth == 0) return a + b + c + d;
        return descend(depth - 1, a + 1, b + 2, c + 3, d + 4) + 1;
    }

    public static void main(String[] args) {
        try {
            descend(Long.parseLong(args[0]), 0, 0, 0, 0);
            System.out.println("deep enough");
        } catch (StackOverflowError e) {
            System.out.println("stack overflow");
        }
    }
}
