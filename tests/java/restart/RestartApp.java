import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;

// Counts its runs in a file and asks for a restart: args[0] is the counter
// file, args[1] the restart code, args[2] the run that ends with 0 instead,
// args[3] "exit" (System.exit) or "return" (an exception from main ends the
// run with 1, the restart code of that case). Each run appends one line:
// its number, its process id, its arguments and sun.java.command.
public class RestartApp {
    public static void main(String[] args) throws IOException {
        Path counter = Path.of(args[0]);
        int run = Files.exists(counter) ? Files.readAllLines(counter, StandardCharsets.UTF_8).size() + 1 : 1;
        String line = run + " " + ProcessHandle.current().pid() + " " + String.join(",", args) + " | "
                + System.getProperty("sun.java.command") + "\n";
        Files.writeString(counter, line, StandardCharsets.UTF_8, StandardOpenOption.CREATE, StandardOpenOption.APPEND);
        int code = run == Integer.parseInt(args[2]) ? 0 : Integer.parseInt(args[1]);
        if (args[3].equals("return")) {
            if (code != 0) throw new IllegalStateException("restart");
            return;
        }
        System.exit(code);
    }
}
