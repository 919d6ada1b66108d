// Prints every argument on its own line between < and >, then the number of
// arguments and the properties the tests pass through VM parameters; with
// -Dkite.inputs set also the options the VM was created with.
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;

public class ArgsApp {
    public static void main(String[] args) {
        PrintStream out = new PrintStream(System.out, true, StandardCharsets.UTF_8);
        out.println("count=" + args.length);
        for (String arg : args) {
            out.println("<" + arg + ">");
            StringBuilder units = new StringBuilder();
            for (char c : arg.toCharArray()) units.append(String.format("%04x ", (int) c));
            out.println("units=" + units.toString().trim());
        }
        String property = System.getProperty("kite.test");
        if (property != null) out.println("kite.test=<" + property + ">");
        out.println("class.path=" + System.getProperty("java.class.path"));
        if (System.getProperty("kite.inputs") != null) {
            for (String input : java.lang.management.ManagementFactory.getRuntimeMXBean().getInputArguments()) {
                out.println("input=" + input);
            }
        }
    }
}
