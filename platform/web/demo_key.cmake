# The demo key's public half as a header of the module (cmake -P), so the
# demo mode trusts the catalogue the build signed.
#   -DKEY=<demo.pub> -DOUTPUT=<header>
file(READ ${KEY} text)
file(WRITE ${OUTPUT}.tmp "#pragma once\n// Generated: the build's demo catalogue key (never committed).\n#include <string_view>\n\ninline constexpr std::string_view kDemoKeyFile = R\"key(${text})key\";\n")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
