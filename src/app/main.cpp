// zormouse: the configuration program of the Zor mouse.
#include "app/AppStart.h"

int main(int argc, char** argv) {
    return zor::app::RunZorMouse(argc, argv);
}
