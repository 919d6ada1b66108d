// What the double's Java methods do when a launcher calls them.
#pragma once

#include <jni.h>

#include <vector>

#include "java_classes.h"
#include "vm_state.h"

namespace jvm_double {

// Runs a static method on the calling thread. The lock must not be held:
// the application's methods may block. A Java exception stays pending.
jvalue callStaticMethod(ThreadEnv& thread, const MethodInfo& method, const std::vector<jvalue>& arguments);

// Runs an instance method on self (checked by the caller). Lock not held.
jvalue callInstanceMethod(ThreadEnv& thread, const MethodInfo& method, jobject self,
                          const std::vector<jvalue>& arguments);

// Runs a constructor: the new object's local reference, or null with an
// exception pending. Lock not held.
jobject construct(ThreadEnv& thread, const MethodInfo& constructor, const std::vector<jvalue>& arguments);

}  // namespace jvm_double
