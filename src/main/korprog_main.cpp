#include "main/MainStartup.h"

int main(int argc, char** argv) { return MainStartup::run(argc, argv); }
