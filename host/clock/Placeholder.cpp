// The host application.
