// A single-instance primary with the returning secondaryMain: a later start
// ends with the number it passes; "quit" ends the primary as well.
import java.util.concurrent.CountDownLatch;

public class SingleInt {
    static final CountDownLatch quit = new CountDownLatch(1);

    public static void main(String[] args) throws InterruptedException {
        SingleVoid.out.println("main " + String.join(",", args));
        quit.await();
    }

    public static int secondaryMain(String[] args) {
        SingleVoid.report("returning", args);
        if (args.length == 1 && args[0].equals("quit")) {
            quit.countDown();
            return 0;
        }
        try {
            return args.length > 0 ? Integer.parseInt(args[0]) : 0;
        } catch (NumberFormatException e) {
            return 99;
        }
    }
}
