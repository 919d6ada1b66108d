// A single-instance primary without secondaryMain: main sleeps for the
// milliseconds given, then exits with the code given.
public class SingleNone {
    public static void main(String[] args) throws InterruptedException {
        SingleVoid.out.println("main " + String.join(",", args));
        Thread.sleep(Long.parseLong(args[0]));
        System.exit(Integer.parseInt(args[1]));
    }
}
