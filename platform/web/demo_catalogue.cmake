# The demo mode's catalogue (cmake -P): listed by make_demo_catalogue with
# the packages' SHA-256, then signed by signify with the build's demo key.
#   -DRUNNER=<node runner> -DTOOL=<make_demo_catalogue.js> -DSIGNIFY=<signify>
#   -DKEY=<demo secret key> -DOUTPUT=<demo_catalogue.json> -DPACKAGES=<a|b>
string(REPLACE "|" ";" packages "${PACKAGES}")
set(arguments "")
foreach(package IN LISTS packages)
    file(SHA256 ${package} hash)
    list(APPEND arguments ${package} ${hash})
endforeach()
execute_process(COMMAND ${RUNNER} ${TOOL} ${OUTPUT} ${arguments} COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE ${OUTPUT}.sig)
execute_process(COMMAND ${SIGNIFY} -S -s ${KEY} -m ${OUTPUT} -x ${OUTPUT}.sig COMMAND_ERROR_IS_FATAL ANY)
