#ifndef GREET_H
#define GREET_H

/* Prints a greeting for the name, or for the world when name is NULL. */
void greet(const char *name);

#endif
