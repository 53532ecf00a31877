// Carries only the string table of config_without_2002.rc; the configuration
// test loads this file as a data module.
int main() { return 0; }
