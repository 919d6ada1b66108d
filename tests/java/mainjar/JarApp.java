import java.lang.reflect.Field;

// Started from its jar: reports what the jar's manifest made of the start,
// one fact per line, so that the launcher's output can be compared with the
// java command's.
public class JarApp {
    public static void main(String[] args) throws Exception {
        System.out.println("agent=" + System.getProperty("kite.agent"));
        boolean opened;
        try {
            Field value = String.class.getDeclaredField("value");
            value.setAccessible(true);
            opened = true;
        } catch (RuntimeException e) {
            opened = false;
        }
        System.out.println("java.lang opened=" + opened);
        System.out.println("class-path entry=" + JarLib.name());
        Object nativeAccess;
        try {
            nativeAccess = Module.class.getMethod("isNativeAccessEnabled").invoke(JarApp.class.getModule());
        } catch (NoSuchMethodException e) {
            nativeAccess = "unknown";
        }
        System.out.println("native access=" + nativeAccess);
        System.out.println("command=" + System.getProperty("sun.java.command"));
        System.out.println("arguments=" + String.join("|", args));
    }
}
