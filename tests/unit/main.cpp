// The unit tests share one application object, as the program does.
#include "resources/PackageFormat.h"
#include "toolkit/Application.h"

#include <gtest/gtest.h>

int main(int argc, char **argv) {
  testing::InitGoogleTest(&argc, argv);
  toolkit::Application application;
  application.SetTitle(L"VELNORIX410aPackageE");
  application.Initialize(MAKEINTRESOURCEW(PACKAGE_ICON_GROUP_ID));
  return RUN_ALL_TESTS();
}
