// Placeholder main until the server shell lands.
int main() { return 0; }
