package kite.modular;

// Reports the module it runs in: named through the module path, null on the class path.
public class ModApp {
    public static void main(String[] args) {
        System.out.println("module=" + ModApp.class.getModule().getName());
        System.out.println("main module=" + System.getProperty("jdk.module.main"));
        System.out.println("args=" + String.join("|", args));
    }
}
