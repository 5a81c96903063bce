// Does nothing: a C++ program's own floor of time and memory, to measure the converter against.
int main() { return 0; }
