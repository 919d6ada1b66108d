// Writes one line to standard output and one to standard error.
public class StreamsApp {
    public static void main(String[] args) {
        String tag = args.length > 0 ? args[0] : "run";
        System.out.println("out " + tag);
        System.err.println("err " + tag);
    }
}
