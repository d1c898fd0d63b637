#include "cli/front_end.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  return corvane::RunProgram(corvane::SystemPlatform(), argc, argv);
}
