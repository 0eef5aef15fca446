# The version number lives in project(VERSION) alone. This makes it a header
# (PlanfolioVersion.h) for every target that links the engine.
configure_file(${CMAKE_CURRENT_LIST_DIR}/PlanfolioVersion.h.in
               ${CMAKE_CURRENT_BINARY_DIR}/generated/PlanfolioVersion.h @ONLY)
target_include_directories(planfolio_engine PUBLIC ${CMAKE_CURRENT_BINARY_DIR}/generated)
