# Run by CPack in its staging folder before it builds the Debian package: the
# folders the installation made have the modes the umask left them (rwx------
# under umask 077); in the package every folder is rwxr-xr-x.
file(CHMOD_RECURSE ${CPACK_TEMPORARY_INSTALL_DIRECTORY} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
     GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
