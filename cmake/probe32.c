/* Exits with 42 when a 32-bit program really runs here. */
int main(void) { return sizeof(void*) == 4 ? 42 : 1; }
