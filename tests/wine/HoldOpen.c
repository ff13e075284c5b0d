/* HoldOpen FILE: a stand-in for another program that keeps FILE open and shares it with
   nobody (the Windows share mode 0), as the IDE or an editor may do. It prints "held" once
   the file is open and keeps it until its standard input ends or reads "stop". Exits 1
   when the file cannot be opened. Built for each architecture: a configuration runs its own. */
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: HoldOpen FILE\n");
    return 2;
  }
  /* _SH_DENYRW is CreateFile's share mode 0: no other opener may read or write. */
  const int file = _sopen(argv[1], _O_RDONLY | _O_BINARY, _SH_DENYRW);
  if (file < 0) {
    printf("cannot open %s\n", argv[1]);
    return 1;
  }
  printf("held\n");
  fflush(stdout);
  char line[64];
  while (fgets(line, sizeof line, stdin) != NULL && strncmp(line, "stop", 4) != 0) {
  }
  _close(file);
  printf("released\n");
  return 0;
}
