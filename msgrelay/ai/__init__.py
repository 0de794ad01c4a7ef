"""The AI provider: settings and key scope, calls, the assistant and the AI digest picks."""
