/* The program part of inno_like.rc. */
int main(void) { return 0; }
