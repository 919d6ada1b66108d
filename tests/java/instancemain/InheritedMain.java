// A class that only inherits its main, an instance method of its superclass.
public class InheritedMain extends InheritedMainBase {
}

class InheritedMainBase {
    protected void main(String[] args) {
        System.out.println("inherited main in " + getClass().getName() + " count=" + args.length);
    }
}
