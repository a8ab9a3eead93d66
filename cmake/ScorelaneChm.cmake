# scorelane_compile_chm(<target> <project folder> <project file> <output .chm>)
# Compiles an HTML help project with chmcmd into <output>. chmcmd writes next to the
# project, so it works on a copy in the build tree; the project's "Compiled file" must
# carry the output's file name.
find_program(SCORELANE_CHMCMD NAMES chmcmd chmcmd-3.2.2 REQUIRED)

function(scorelane_compile_chm target project_dir project_file output)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${project_dir}/*)
    get_filename_component(name ${output} NAME)
    set(work ${CMAKE_CURRENT_BINARY_DIR}/${target}.project)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${work}
        COMMAND ${CMAKE_COMMAND} -E copy_directory ${project_dir} ${work}
        COMMAND ${CMAKE_COMMAND} -E chdir ${work} ${SCORELANE_CHMCMD} --verbosity 0 ${project_file}
        COMMAND ${CMAKE_COMMAND} -E copy ${work}/${name} ${output}
        DEPENDS ${sources}
        COMMENT "Compiling the help file ${name}"
        VERBATIM)
    add_custom_target(${target} ALL DEPENDS ${output})
endfunction()
