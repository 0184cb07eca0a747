// The kalvenor CUPS back end (installed as /usr/lib/cups/backend/kalvenor).
#include "backend/run_backend.h"

int main(int argc, char** argv) { return kalvenor::RunBackend(argc, argv); }
