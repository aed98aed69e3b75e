// The unit tests share one application object, as the program does.
#include "toolkit/Application.h"

#include <gtest/gtest.h>

int main(int argc, char **argv) {
  testing::InitGoogleTest(&argc, argv);
  toolkit::Application application;
  application.SetTitle(L"VELNORIX410aPackageE");
  return RUN_ALL_TESTS();
}
