import java.awt.HeadlessException;
import java.awt.SplashScreen;
import java.nio.file.Files;
import java.nio.file.Path;

// Reports the splash the launcher started, waits until the file named by its
// argument exists (the test's screenshot is taken meanwhile), then closes it.
public class SplashApp {
    public static void main(String[] args) throws Exception {
        SplashScreen splash;
        try {
            splash = SplashScreen.getSplashScreen();
        } catch (HeadlessException e) {
            System.out.println("headless");
            return;
        }
        if (splash == null) {
            System.out.println("no splash");
            return;
        }
        System.out.println("splash visible=" + splash.isVisible() + " size=" + splash.getSize().width + "x"
                + splash.getSize().height + " url=" + splash.getImageURL());
        System.out.flush();
        if (args.length > 0) {
            while (!Files.exists(Path.of(args[0]))) Thread.sleep(20);
        }
        splash.close();
        System.out.println("closed visible=" + splash.isVisible());
    }
}
