// main returns at once; a non-daemon thread writes a file after a delay.
import java.nio.file.Files;
import java.nio.file.Path;

public class WorkerApp {
    public static void main(String[] args) {
        Path marker = Path.of(args[0]);
        Thread worker = new Thread(() -> {
            try {
                Thread.sleep(Long.parseLong(args[1]));
                Files.writeString(marker, "done");
            } catch (Exception e) {
                e.printStackTrace();
            }
        });
        worker.start();
        System.out.println("main returns");
    }
}
