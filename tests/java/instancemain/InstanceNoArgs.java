// An instance main without parameters, as JDK 25 runs it.
public class InstanceNoArgs {
    void main() {
        System.out.println("instance main() of " + getClass().getName());
    }
}
