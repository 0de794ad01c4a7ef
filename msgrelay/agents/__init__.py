"""What agents read through the Model Context Protocol: the tools over the core's sorting and storage."""
