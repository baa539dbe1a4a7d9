// etatbudget: start-up of the program.
int main() { return 0; }
