# Warnings for the project's own code (not for GoogleTest, which is added later).
set(PROJECT_WARNINGS -Wall -Wextra -Wshadow -Wno-unused-parameter)
