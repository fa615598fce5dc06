// Stands in for a newer installer whose signature is under test: it does
// nothing but end with a code of its own, which the installer that started
// it passes on.
int main() { return 6; }
