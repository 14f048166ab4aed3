// The power-on example as a program: runs the story and exits with its status.
#include <iostream>

#include "scenario.h"

int main() {
   return RunPowerOnScenario(std::cout);
}
