# The tool end to end: create an IIS 10 image with PHP, list what appcmd
# shows, and refuse --php without an application host. Run by CTest with
# -DTOOL=<quaver-machine> -DWORK=<scratch folder>.
file(REMOVE_RECURSE ${WORK})

function(run expect_success)
  execute_process(COMMAND ${TOOL} ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(expect_success AND NOT result EQUAL 0)
    message(FATAL_ERROR "quaver-machine ${ARGN} failed (${result}): ${err}")
  elseif(NOT expect_success AND result EQUAL 0)
    message(FATAL_ERROR "quaver-machine ${ARGN} succeeded but should have failed")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

function(expect_in text)
  string(FIND "${out}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "expected \"${text}\" in:\n${out}")
  endif()
endfunction()

run(TRUE create ${WORK}/iis10 --iis 10 --php C:\\PHP)
run(TRUE --machine ${WORK}/iis10 appcmd list site)
expect_in("SITE \"Default Web Site\" (id:1,bindings:http/*:80:,state:Started)")
run(TRUE --machine ${WORK}/iis10 appcmd list config "Default Web Site" /section:handlers)
expect_in("<add name=\"PHP_via_FastCGI\" path=\"*.php\"")
run(TRUE --machine ${WORK}/iis10 type C:\\PHP\\php.ini)
expect_in("[PHP]")
run(FALSE create ${WORK}/iis6 --iis 6 --php C:\\PHP)
if(EXISTS ${WORK}/iis6)
  message(FATAL_ERROR "a refused create left its image behind")
endif()
file(REMOVE_RECURSE ${WORK})
