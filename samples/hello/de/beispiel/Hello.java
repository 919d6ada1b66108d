package de.beispiel;

// The sample application: a greeting and the arguments it was started with.
public class Hello {
    public static void main(String[] args) {
        System.out.println("Schöne Grüße aus Kite!");
        System.out.println(args.length + " Argument(e):");
        for (int i = 0; i < args.length; i++) {
            System.out.println("  " + (i + 1) + ": " + args[i]);
        }
    }
}
