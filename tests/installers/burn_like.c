/* A program with a Burn bundle's mark, for the detection of kinds: a
   section ".wixburn" whose data begins with the magic 0x00F14300. */
__attribute__((section(".wixburn"), used)) static const unsigned int burn_section[] = {0x00F14300u, 2u};

int main(void) { return 0; }
