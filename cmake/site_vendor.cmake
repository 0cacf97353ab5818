# Run at installation (so when CPack makes the package): the browser bundles of
# the control room's page, from the npm packages its lock file names, into
# SITE_VENDOR. npm is asked only when the lock file changed since the last run.
# Variables: NPM, NODE, SITE_SOURCE (site/), WORK (a folder of the build).
if(NOT NPM OR NOT NODE)
  message(FATAL_ERROR
    "The control room's page (site/) needs npm and node to copy in its browser bundles "
    "(MQTT.js, uPlot) from site/package-lock.json: install them (scripts/deps.sh) and package again.")
endif()
set(lock ${SITE_SOURCE}/package-lock.json)
set(stamp ${WORK}/package-lock.json)
file(MAKE_DIRECTORY ${WORK})
set(fresh FALSE)
if(EXISTS ${stamp} AND EXISTS ${WORK}/vendor/mqtt.min.js)
  file(SHA256 ${lock} want)
  file(SHA256 ${stamp} have)
  if(want STREQUAL have)
    set(fresh TRUE)
  endif()
endif()
if(NOT fresh)
  file(COPY ${SITE_SOURCE}/package.json ${lock} DESTINATION ${WORK})
  execute_process(
    COMMAND ${NPM} ci --omit=dev --ignore-scripts --no-audit --no-fund --loglevel=error
    WORKING_DIRECTORY ${WORK} RESULT_VARIABLE npm_result)
  if(NOT npm_result EQUAL 0)
    file(REMOVE ${stamp})
    message(FATAL_ERROR "npm ci for the control room's page failed (${npm_result}): see above")
  endif()
  execute_process(
    COMMAND ${NODE} ${SITE_SOURCE}/tools/vendor.mjs ${WORK}/node_modules ${WORK}/vendor
    RESULT_VARIABLE copy_result)
  if(NOT copy_result EQUAL 0)
    message(FATAL_ERROR "copying the page's browser bundles failed (${copy_result})")
  endif()
endif()
