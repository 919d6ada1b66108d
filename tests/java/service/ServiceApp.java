import java.util.concurrent.CountDownLatch;

/** A service whose main blocks until stop() is called. */
public class ServiceApp {
    private static final CountDownLatch stopped = new CountDownLatch(1);

    public static void main(String[] args) throws InterruptedException {
        System.out.println("started " + String.join("|", args));
        System.out.flush();
        stopped.await();
        System.out.println("main ends");
        System.out.flush();
    }

    public static void stop() {
        System.out.println("stop called on " + Thread.currentThread().getName());
        System.out.flush();
        stopped.countDown();
    }
}
