#include "app/Application.h"

int main(int argc, char** argv) { return orv::RunOrvControl(argc, argv); }
