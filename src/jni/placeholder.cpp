// Placeholder until the JNI boundary lands.
