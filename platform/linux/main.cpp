// Placeholder replaced by the dialog front end.
int main() { return 0; }
