import java.nio.file.Files;
import java.nio.file.Path;

/**
 * A server whose main returns: main starts a non-daemon worker and ends; a
 * shutdown hook writes "hook ran" to hook.txt. Files go to the folder named by
 * RETURNING_APP_DIR. The class has no stop().
 */
public class ReturningApp {
    private static final Path folder = Path.of(System.getenv("RETURNING_APP_DIR"));

    static {
        // Runs when the launcher looks main up: after the VM exists, before main is called.
        write("initialized.txt", "initialized");
    }

    private static void write(String name, String text) {
        try {
            Files.writeString(folder.resolve(name), text);
        } catch (java.io.IOException e) {
            throw new java.io.UncheckedIOException(e);
        }
    }

    public static void main(String[] args) {
        Runtime.getRuntime().addShutdownHook(new Thread(() -> write("hook.txt", "hook ran")));
        Thread worker = new Thread(() -> {
            while (true) {
                try {
                    Thread.sleep(100);
                } catch (InterruptedException e) {
                    return;
                }
            }
        }, "worker");
        worker.start();
        System.out.println("main returns");
        System.out.flush();
    }
}
