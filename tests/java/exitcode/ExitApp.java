// Ends the process through System.exit with the status given as first argument.
public class ExitApp {
    public static void main(String[] args) {
        System.out.println("exiting");
        System.exit(Integer.parseInt(args[0]));
    }
}
