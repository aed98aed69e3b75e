# The package owner's own texts for the wizard built from this folder. A
# package folder holds this file, agreement.txt (UTF-8), program.ico and the
# three files the wizard delivers.
set(PACKAGE_COMPANY_NAME "ORVEN Sample Devices Ltd.")
set(PACKAGE_LEGAL_COPYRIGHT "Copyright (C) 2026 ORVEN Sample Devices Ltd. Sample package.")
# Names the program's manifest identity: owner and package.
set(PACKAGE_IDENTITY_NAME "ORVEN.VELNORIX410aPackageE")
