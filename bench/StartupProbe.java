import java.time.Instant;

// Prints the wall-clock time at which main was entered, in nanoseconds since
// the epoch, as its first action.
public class StartupProbe {
    public static void main(String[] args) {
        Instant now = Instant.now();
        System.out.println(now.getEpochSecond() * 1_000_000_000L + now.getNano());
    }
}
