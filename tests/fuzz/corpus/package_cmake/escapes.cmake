set(PACKAGE_COMPANY_NAME "a\"q\" \\ \$x \; \# $ @A@")
# c

  SET ( PACKAGE_IDENTITY_NAME   "A.B" )  # t
#[[ x ]]
