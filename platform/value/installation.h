#ifndef QX_PLATFORM_VALUE_INSTALLATION_H_
#define QX_PLATFORM_VALUE_INSTALLATION_H_

// The installation's configuration: environment variables only.
struct Installation {
  // The variable's value, or null when it is not set. The text belongs to the
  // environment; it stays valid until the variable is changed.
  static const char* getenv(const char* name);
};

#endif  // QX_PLATFORM_VALUE_INSTALLATION_H_
