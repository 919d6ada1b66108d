// A single-instance primary with the void secondaryMain: main blocks until a
// later start passes "quit" (then the process exits with the code after it).
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.util.concurrent.CountDownLatch;

public class SingleVoid {
    static final PrintStream out = new PrintStream(System.out, true, StandardCharsets.UTF_8);
    static final CountDownLatch quit = new CountDownLatch(1);
    static volatile int exitCode = 0;

    public static void main(String[] args) throws InterruptedException {
        out.println("main " + String.join(",", args));
        quit.await();
        System.exit(exitCode);
    }

    static synchronized void report(String kind, String[] args) {
        StringBuilder line = new StringBuilder(kind + " count=" + args.length);
        for (String arg : args) line.append(" <").append(arg).append(">");
        out.println(line);
    }

    public static void secondaryMain(String[] args) {
        report("secondary", args);
        if (args.length == 2 && args[0].equals("quit")) {
            exitCode = Integer.parseInt(args[1]);
            quit.countDown();
        }
    }
}
