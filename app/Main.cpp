#include "app/App.h"

int main()
{
    return RunDemo();
}
