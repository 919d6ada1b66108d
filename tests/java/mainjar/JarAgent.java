import java.lang.instrument.Instrumentation;

// The jar's Launcher-Agent-Class: runs before main.
public class JarAgent {
    public static void agentmain(String arguments, Instrumentation instrumentation) {
        System.setProperty("kite.agent", "ran, redefinition " + instrumentation.isRedefineClassesSupported());
    }
}
