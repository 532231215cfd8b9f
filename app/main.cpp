#include "startup.h"

int main() { return quillo::app::StartUp(); }
